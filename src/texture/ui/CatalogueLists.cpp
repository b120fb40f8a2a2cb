#include "texture/ui/CatalogueLists.h"

#include "app/BusyHost.h"

#include <QComboBox>

CatalogueLists::CatalogueLists(BusyHost& host, QString dataFolder, QComboBox* categoryList,
                               QComboBox* textureList, QObject* parent)
    : QObject(parent), m_host(host), m_dataFolder(std::move(dataFolder)), m_categoryList(categoryList),
      m_textureList(textureList)
{
    // Any change of the category, by the user or by a load, asks for a load;
    // the ones a load makes itself find it running and do nothing.
    connect(m_categoryList, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            Load(index);
    });
}

bool CatalogueLists::Load(int selectedCategory)
{
    if (m_loading)
        return false;
    m_loading = true;
    m_categoryList->clear();
    m_textureList->clear();
    m_entries.clear();

    const Result<CatalogueLoad> load = LoadCatalogueFile(m_dataFolder, selectedCategory);
    if (load) {
        m_categoryList->addItems(load->categories);
        for (const CatalogueEntry& entry : load->entries)
            m_textureList->addItem(entry.DisplayText());
        m_entries = load->entries;
        m_categoryList->setCurrentIndex(load->selected);
        m_textureList->setCurrentIndex(m_entries.isEmpty() ? -1 : 0);
    }
    m_loading = false;
    if (!load)
        m_host.ShowFailure(load.error());
    emit loaded();
    return bool(load);
}

std::optional<CatalogueEntry> CatalogueLists::CurrentEntry() const
{
    const int index = m_textureList->currentIndex();
    if (index < 0 || index >= m_entries.size())
        return std::nullopt;
    return m_entries[index];
}
